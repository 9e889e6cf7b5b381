// The positional masked edit: any mask, any text laid over it, and any sequence of typing,
// Backspace and Delete with any caret or selection.

#include "core/maskedtext.h"
#include "fuzz/fuzzinput.h"

#include <string>

using kelvor::fuzz::FuzzInput;

namespace {

constexpr std::size_t kMaskLimit = 64;
constexpr std::size_t kTextLimit = 96;
constexpr std::size_t kOperationLimit = 64;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The text has the mask's shape: one character per position, the literals in place, and a
// digit or a blank on every data position.
void checkShape(const kelvor::EditMask& mask, std::string_view text) {
  KELVOR_FUZZ_CHECK(text.size() == mask.length());
  const std::string empty = mask.emptyText();
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    if (mask.isLiteral(pos))
      KELVOR_FUZZ_CHECK(text[pos] == empty[pos]);
    else
      KELVOR_FUZZ_CHECK(isDigit(text[pos]) || text[pos] == ' ');
  }
  // A shaped text comes back unchanged.
  KELVOR_FUZZ_CHECK(mask.shape(text) == text);
}

void checkDisplay(const kelvor::EditMask& mask, const std::string& text) {
  const std::string display = mask.displayText(text);
  KELVOR_FUZZ_CHECK(display.size() == text.size());
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    if (!mask.isLiteral(pos) && text[pos] == ' ')
      KELVOR_FUZZ_CHECK(display[pos] == mask.blankChar());
    else
      KELVOR_FUZZ_CHECK(display[pos] == text[pos]);
  }
}

// Everything outside the touched range stays as it was.
void checkUntouchedOutside(const std::string& before, const std::string& after, std::size_t from,
                           std::size_t to) {
  for (std::size_t pos = 0; pos < before.size(); ++pos) {
    if (pos < from || pos >= to)
      KELVOR_FUZZ_CHECK(before[pos] == after[pos]);
  }
}

struct EditState {
  std::string text;
  std::size_t caret = 0;
};

void applyOperation(const kelvor::EditMask& mask, EditState& state, FuzzInput& input) {
  const std::uint8_t operation = input.byte();
  // Carets and selections may point past the end, as a stale selection can.
  const std::size_t span = mask.length() + 3;
  const std::size_t from = input.byte() % span;
  const std::size_t to = (operation & 0x80) != 0 ? input.byte() % span : from;
  const char ch = static_cast<char>(input.byte());
  const std::string before = state.text;
  const std::size_t low = std::min(from, to);
  switch (operation % 3) {
  case 0: {
    const auto edit = mask.typeCharacter(state.text, from, to, ch);
    if (!edit)
      return;
    checkShape(mask, edit->text);
    KELVOR_FUZZ_CHECK(edit->caret <= mask.length());
    // At most one data position at or after the range changes beyond the range itself.
    std::size_t changed = 0;
    for (std::size_t pos = 0; pos < before.size(); ++pos) {
      if (before[pos] != edit->text[pos] && (pos < low || pos >= std::max(from, to)))
        ++changed;
    }
    KELVOR_FUZZ_CHECK(changed <= 1);
    state = {edit->text, edit->caret};
    break;
  }
  case 1: {
    const auto edit = mask.eraseBackward(state.text, from, to);
    checkShape(mask, edit.text);
    KELVOR_FUZZ_CHECK(edit.caret <= mask.length());
    if (from != to)
      checkUntouchedOutside(before, edit.text, low, std::max(from, to));
    state = {edit.text, edit.caret};
    break;
  }
  default: {
    const auto edit = mask.eraseForward(state.text, from, to);
    checkShape(mask, edit.text);
    KELVOR_FUZZ_CHECK(edit.caret <= mask.length());
    if (from != to)
      checkUntouchedOutside(before, edit.text, low, std::max(from, to));
    state = {edit.text, edit.caret};
    break;
  }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  // Masks are ASCII; a byte past it stands for its ASCII half.
  std::string maskText(input.textUntil('\n', kMaskLimit));
  for (char& c : maskText)
    c = static_cast<char>(c & 0x7F);
  const kelvor::EditMask mask(maskText);

  const std::string_view laid = input.textUntil('\n', kTextLimit);
  EditState state{mask.shape(laid), 0};
  checkShape(mask, state.text);
  checkShape(mask, mask.emptyText());
  checkShape(mask, mask.shapeValue(laid));
  checkDisplay(mask, state.text);

  for (std::size_t i = 0; i < kOperationLimit && !input.empty(); ++i) {
    applyOperation(mask, state, input);
    checkDisplay(mask, state.text);
  }
  return 0;
}
