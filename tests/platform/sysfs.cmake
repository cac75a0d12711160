corvane_test(test_sysfs SOURCES sysfs/SysfsNetTest.cpp LIBS corvane_platform)
