# loginitem tests
