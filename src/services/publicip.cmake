# publicip service
