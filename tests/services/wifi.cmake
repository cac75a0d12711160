# wifi tests
