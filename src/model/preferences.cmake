# preferences
