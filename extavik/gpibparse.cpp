// gpibparse
