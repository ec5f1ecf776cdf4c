// gpibconvert
