// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Standard error while several devices run at once: each device's thread writes to a stream of
// its own, and each whole line goes out alone, marked with the device it is about. As text the
// line begins with the device ("[2 usb-3F2A0017/t1-r1] "); as JSON lines the event carries
// "device" (the list index) and "id" (the unit id, once the chip check has given it), and any
// line that is no event becomes a diagnostic event of that device.

#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

namespace q71x::cli {

// Where the devices' lines meet; one writer at a time.
class SharedLines {
 public:
  SharedLines(std::ostream& err, bool json) : err_(err), json_(json) {}
  void Write(int device, const std::string& id, std::string_view line);

 private:
  std::ostream& err_;
  bool json_;
  std::mutex lock_;
};

class DeviceLines final : public std::ostream {
 public:
  DeviceLines(SharedLines& shared, int device);
  ~DeviceLines() override;
  // The unit id, for every line from now on.
  void SetId(std::string id) { lines_.Id = std::move(id); }

 private:
  class Lines final : public std::streambuf {
   public:
    Lines(SharedLines& shared, int device) : shared_(shared), device_(device) {}
    void Finish();
    std::string Id;

   protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

   private:
    SharedLines& shared_;
    int device_;
    std::string line_;
  };
  Lines lines_;
};

}  // namespace q71x::cli
