corvane_test(test_links
  SOURCES links/LinkInfoTest.cpp links/NetworkInfoTest.cpp
  LIBS corvane_core corvane_platform)
