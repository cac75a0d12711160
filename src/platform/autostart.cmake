# autostart adapter
