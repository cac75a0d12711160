# autostart tests
