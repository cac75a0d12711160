# publicip tests
