corvane_test(test_links SOURCES links/LinkInfoTest.cpp LIBS corvane_core corvane_platform)
