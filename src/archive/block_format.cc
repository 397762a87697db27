#include "archive/block_format.h"

namespace cdbbem {

namespace {

char lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// The format text left to read, blanks passed over.
struct format_text {
  std::string_view rest;

  void blanks() noexcept {
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) {
      rest.remove_prefix(1);
    }
  }
  char peek() noexcept {
    blanks();
    return rest.empty() ? '\0' : lower(rest.front());
  }
  void take() noexcept {
    if (!rest.empty()) {
      rest.remove_prefix(1);
    }
  }
  // An unsigned number, or -1 when none stands here.
  std::int32_t number() noexcept {
    blanks();
    std::int32_t n = -1;
    while (!rest.empty() && is_digit(rest.front())) {
      n = (n < 0 ? 0 : n) * 10 + (rest.front() - '0');
      if (n > 100000) {
        return -2;
      }
      rest.remove_prefix(1);
    }
    return n;
  }
};

// Adds `repeat` fields like `field` after the last one.
bool add_fields(block_format& format, std::int32_t& column, block_field field,
                std::int32_t repeat) {
  for (std::int32_t k = 0; k < repeat; ++k) {
    if (format.count == block_format::max_fields) {
      return false;
    }
    field.start = column;
    column += field.width;
    format.fields[format.count++] = field;
  }
  return true;
}

// One edit descriptor after its repeat count.
bool descriptor(format_text& t, block_field& field) {
  char c = t.peek();
  if (c == 'p') {  // a scale factor before a real descriptor
    t.take();
    c = t.peek();
  }
  t.take();
  switch (c) {
  case 'i':
    field.kind = field_kind::integer;
    break;
  case 'e':
  case 'd':
  case 'f':
  case 'g':
    field.kind = field_kind::real;
    break;
  case 'a':
    field.kind = field_kind::text;
    break;
  default:
    return false;
  }
  field.width = t.number();
  if (field.width <= 0) {
    return false;
  }
  if (field.kind == field_kind::real) {
    if (t.peek() != '.') {
      return false;
    }
    t.take();
    field.decimals = t.number();
    if (field.decimals < 0) {
      return false;
    }
    if (t.peek() == 'e') {  // exponent digits: the field's width holds them
      t.take();
      if (t.number() < 0) {
        return false;
      }
    }
  }
  return true;
}

// A list of items up to its closing parenthesis; groups nest once.
bool item_list(format_text& t, block_format& format, std::int32_t& column, int depth) {
  while (true) {
    std::int32_t repeat = t.number();
    if (repeat == -2 || repeat == 0) {
      return false;
    }
    char c = t.peek();
    if (c == 'p' && repeat >= 0) {  // "1p" before the descriptor it scales
      t.take();
      repeat = t.number();
      c = t.peek();
    }
    if (repeat < 0) {
      repeat = 1;
    }
    if (c == '(') {
      if (depth > 0) {
        return false;
      }
      t.take();
      block_format group;
      std::int32_t group_column = 0;
      if (!item_list(t, group, group_column, depth + 1)) {
        return false;
      }
      for (std::int32_t r = 0; r < repeat; ++r) {
        for (int k = 0; k < group.count; ++k) {
          if (!add_fields(format, column, group.fields[k], 1)) {
            return false;
          }
        }
      }
    } else if (c == 'x') {
      t.take();
      if (!add_fields(format, column, {field_kind::skip, 0, 1, 0}, repeat)) {
        return false;
      }
    } else {
      block_field field;
      if (!descriptor(t, field) || !add_fields(format, column, field, repeat)) {
        return false;
      }
    }
    c = t.peek();
    t.take();
    if (c == ')') {
      return true;
    }
    if (c != ',') {
      return false;
    }
  }
}

}  // namespace

const block_field* block_format::nth(field_kind kind, int k) const noexcept {
  for (int f = 0; f < count; ++f) {
    if (fields[f].kind == kind && k-- == 0) {
      return &fields[f];
    }
  }
  return nullptr;
}

int block_format::count_of(field_kind kind) const noexcept {
  int n = 0;
  for (int f = 0; f < count; ++f) {
    n += fields[f].kind == kind ? 1 : 0;
  }
  return n;
}

bool parse_block_format(std::string_view text, block_format& format) noexcept {
  format = block_format{};
  format_text t{text};
  if (t.peek() != '(') {
    return false;
  }
  t.take();
  std::int32_t column = 0;
  if (!item_list(t, format, column, 0)) {
    return false;
  }
  const std::int32_t width = format.fields[0].width;
  format.even_width = width;
  for (int k = 0; k < format.count; ++k) {
    if (format.fields[k].width != width || format.fields[k].start != k * width) {
      format.even_width = 0;
    }
  }
  return t.peek() == '\0' && format.count > 0;
}

}  // namespace cdbbem
