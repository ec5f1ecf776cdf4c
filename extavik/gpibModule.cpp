// gpibModule
