# nl80211 tests
