// Reading a fuzzer's bytes as the inputs of a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fuzzing {

// A broken invariant is a finding: stop so that the fuzzer saves the input.
inline void check(bool condition) {
    if (!condition) std::abort();
}

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <typename Number>
    Number take() {
        Number value{};
        std::size_t count = size_ < sizeof value ? size_ : sizeof value;
        std::memcpy(&value, data_, count);
        data_ += count;
        size_ -= count;
        return value;
    }

    // The rest, split at NUL bytes: an argument vector, say.
    std::vector<std::string> texts() const {
        std::vector<std::string> result;
        std::string current;
        for (std::size_t index = 0; index < size_; ++index) {
            if (data_[index] == 0) {
                result.push_back(current);
                current.clear();
            } else {
                current += static_cast<char>(data_[index]);
            }
        }
        result.push_back(current);
        return result;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace fuzzing
