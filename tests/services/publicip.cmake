# publicip tests: every request goes to a server the test runs on 127.0.0.1.
corvane_test(test_publicip SOURCES publicip/PublicIPServiceTest.cpp LIBS corvane_services QT)
