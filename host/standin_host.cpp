// stand-in host
