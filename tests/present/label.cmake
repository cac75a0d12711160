# label tests
