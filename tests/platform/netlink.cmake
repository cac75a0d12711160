# netlink tests
corvane_test(test_netlink_parse SOURCES netlink/RtnlParseTest.cpp netlink/NlWalkTest.cpp LIBS corvane_nl80211)
corvane_test(test_netlink_source SOURCES netlink/FakeKernelTest.cpp LIBS corvane_netlink)
corvane_test(test_netlink_kernel SOURCES netlink/KernelTest.cpp LIBS corvane_netlink)
corvane_test(test_netlink_speed SOURCES netlink/LinkSpeedTest.cpp LIBS corvane_netlink)
