# probe tests
