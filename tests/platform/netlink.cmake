# netlink tests
