# loginitem tests: temporary configuration directories only.
corvane_test(login_item_service_test SOURCES loginitem/LoginItemServiceTest.cpp LIBS corvane_services)
