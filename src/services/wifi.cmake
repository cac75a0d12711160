# wifi service
