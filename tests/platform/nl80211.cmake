# nl80211: message decoding, the request/reply client and the source, from hand-built bytes;
# one test against the running kernel.
corvane_test(nl80211_test
  SOURCES nl80211/Nl80211ParseTest.cpp nl80211/GenlClientTest.cpp nl80211/Nl80211WiFiSourceTest.cpp
  LIBS corvane_platform
  LABELS platform)
