#pragma once
// IRecordStream: a receiver of records beside the files (the live values
// published to the network). A recording session with a stream keeps its
// timer running whether or not a log is on, and tells the stream at the
// opening and at every tick, after the files, so that the stream takes the
// reading a log record holds at that moment.

class IRecordStream {
public:
    virtual ~IRecordStream() = default;
    virtual void RecordTick() = 0;
};
