# sysfs tests
