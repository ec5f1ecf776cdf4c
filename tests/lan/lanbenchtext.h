// The bench the LAN tests serve.
#pragma once

// A binary source at 5 whose answer is a definite-length block with LF bytes inside it (the ramp
// starts at 10), beside the built-in bench's multimeter, SRQ device and silent device.
static const char lanBench[] =
    "{\"instruments\": ["
    "{\"address\": 22, \"type\": \"multimeter\", \"signal\": {\"shape\": \"sine\", \"offset\": 1.0, \"amplitude\": 0.5, \"period\": 50}},"
    "{\"address\": 5, \"type\": \"binary\", \"count\": 8, \"header\": \"#216\", \"talkOnly\": false,"
    " \"signal\": {\"shape\": \"ramp\", \"offset\": 10, \"step\": 1}},"
    "{\"address\": 9, \"type\": \"srq\"}, {\"address\": 12, \"type\": \"silent\"}]}";

