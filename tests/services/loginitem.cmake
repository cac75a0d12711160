# loginitem tests: over a fake autostart switch.
corvane_test(login_item_service_test SOURCES loginitem/LoginItemServiceTest.cpp LIBS corvane_services)
