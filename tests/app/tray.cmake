# tray tests
