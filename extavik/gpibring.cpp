// gpibring
