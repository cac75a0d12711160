# nl80211 adapter
