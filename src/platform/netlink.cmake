# netlink adapter
