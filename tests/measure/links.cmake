# links tests
