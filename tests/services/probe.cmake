# probe tests: loopback listeners only.
corvane_test(starlink_probe_test QT SOURCES probe/StarlinkProbeTest.cpp LIBS corvane_services)
