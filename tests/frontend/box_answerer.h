// Answers the message boxes that the code under test shows on this thread, from a CBT
// hook that sees each box appear: records its text, caption and placement, then presses
// the queued answer (at once, or once a condition holds). No sleeping, no screen reading.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace qb::test {

struct SeenBox {
  std::string text;
  std::string caption;
  RECT rect;  // where the box was when it was first activated
  HWND owner;
};

class BoxAnswerer {
 public:
  BoxAnswerer();
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  // The button for the next box (IDOK, IDYES, IDNO). Boxes with no queued answer get IDOK
  // for an OK box and IDNO otherwise. `when`, if given, is polled from the box's own
  // modal loop; the button is pressed once it returns true.
  void Queue(int button, std::function<bool()> when = nullptr);

  const std::vector<SeenBox>& boxes() const { return boxes_; }
  std::vector<std::string> Texts() const;
  void Clear() { boxes_.clear(); }

 private:
  struct Answer {
    int button;
    std::function<bool()> when;
  };
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  static void CALLBACK Poll(HWND, UINT, UINT_PTR, DWORD);
  void OnBoxShown(HWND box);

  HHOOK hook_ = nullptr;
  std::deque<Answer> answers_;
  std::vector<SeenBox> boxes_;
  std::vector<HWND> handled_;
  HWND pendingBox_ = nullptr;
  Answer pending_ = {IDOK, nullptr};
  UINT_PTR timer_ = 0;
};

}  // namespace qb::test
