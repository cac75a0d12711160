# tray item
