# sysfs adapter
