# netlink tests: parsers from hand-built bytes; the source against a fake kernel on a socket
# pair, and against the running kernel in a namespace of its own.
corvane_test(test_netlink_parse SOURCES netlink/NetlinkParseTest.cpp LIBS corvane_platform)
corvane_test(test_netlink_source SOURCES netlink/LinuxNetSourceTest.cpp LIBS corvane_platform)
