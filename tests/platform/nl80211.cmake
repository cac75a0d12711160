# nl80211: message decoding, the request/reply client and the source, from hand-built bytes.
corvane_test(nl80211_test SOURCES nl80211/Nl80211Test.cpp LIBS corvane_platform LABELS platform)
