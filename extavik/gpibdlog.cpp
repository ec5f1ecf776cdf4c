// gpibdlog
