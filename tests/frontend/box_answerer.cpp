#include "tests/frontend/box_answerer.h"

#include "tests/frontend/gui_test_support.h"

namespace qb::test {
namespace {

thread_local BoxAnswerer* t_answerer = nullptr;
constexpr int kMessageBoxTextId = 0xFFFF;  // the static that holds a message box's text

bool IsMessageBox(HWND window) {
  char className[16] = "";
  GetClassNameA(window, className, sizeof className);
  return lstrcmpA(className, "#32770") == 0 && GetDlgItem(window, kMessageBoxTextId) != nullptr;
}

}  // namespace

BoxAnswerer::BoxAnswerer() {
  t_answerer = this;
  hook_ = SetWindowsHookExA(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
}

BoxAnswerer::~BoxAnswerer() {
  if (timer_) KillTimer(nullptr, timer_);
  UnhookWindowsHookEx(hook_);
  t_answerer = nullptr;
}

void BoxAnswerer::Queue(int button, std::function<bool()> when) {
  answers_.push_back(Answer{button, std::move(when)});
}

std::vector<std::string> BoxAnswerer::Texts() const {
  std::vector<std::string> texts;
  for (const auto& box : boxes_) texts.push_back(box.text);
  return texts;
}

LRESULT CALLBACK BoxAnswerer::Hook(int code, WPARAM wParam, LPARAM lParam) {
  BoxAnswerer* self = t_answerer;
  if (self && code == HCBT_ACTIVATE && IsMessageBox(reinterpret_cast<HWND>(wParam)))
    self->OnBoxShown(reinterpret_cast<HWND>(wParam));
  return CallNextHookEx(self ? self->hook_ : nullptr, code, wParam, lParam);
}

void BoxAnswerer::OnBoxShown(HWND box) {
  for (HWND known : handled_)
    if (known == box) return;  // activated again, for instance after a nested box
  handled_.push_back(box);
  SeenBox seen;
  seen.text = WindowText(GetDlgItem(box, kMessageBoxTextId));
  seen.caption = WindowText(box);
  GetWindowRect(box, &seen.rect);
  seen.owner = GetWindow(box, GW_OWNER);
  boxes_.push_back(seen);

  Answer answer{IDOK, nullptr};
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  } else if (GetDlgItem(box, IDOK) == nullptr) {
    answer.button = IDNO;
  }
  if (!answer.when) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer.button, BN_CLICKED), 0);
    return;
  }
  pendingBox_ = box;
  pending_ = answer;
  timer_ = SetTimer(nullptr, 0, 10, &Poll);
}

void CALLBACK BoxAnswerer::Poll(HWND, UINT, UINT_PTR, DWORD) {
  BoxAnswerer* self = t_answerer;
  if (!self || !self->pendingBox_ || !self->pending_.when()) return;
  KillTimer(nullptr, self->timer_);
  self->timer_ = 0;
  PostMessageA(self->pendingBox_, WM_COMMAND, MAKEWPARAM(self->pending_.button, BN_CLICKED), 0);
  self->pendingBox_ = nullptr;
}

}  // namespace qb::test
