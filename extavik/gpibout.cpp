// gpibout
