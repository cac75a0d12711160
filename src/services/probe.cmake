# probe service
