// Date and time of day for history entries and report stamps.
#pragma once

namespace velm {

struct DateTime {
    int year = 0;   // four digits
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
    int hour = 0;   // 0 to 23
    int minute = 0;
    int second = 0;
    int hundredths = 0;  // hundredths of a second
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() const = 0;
};

// The machine's local time.
class SystemClock final : public Clock {
public:
    DateTime now() const override;
};

// Always the same moment: for tests and reproducible runs.
class FixedClock final : public Clock {
public:
    explicit FixedClock(DateTime moment) : moment_(moment) {}
    DateTime now() const override { return moment_; }
    void set(DateTime moment) { moment_ = moment; }

private:
    DateTime moment_;
};

}  // namespace velm
