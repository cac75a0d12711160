# tray label text and image
