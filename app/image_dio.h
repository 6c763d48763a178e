// The macro's X and Y areas are the input and output bytes of the core's I/O image, so the I/O
// monitor shows what a macro sets.
#pragma once

#include "macro/macro_host.h"
#include "sampling/dio_image.h"

namespace kestrane {

class ImageDio final : public MacroDio {
public:
    explicit ImageDio(DioImage& image) : image_(image) {}
    [[nodiscard]] std::uint8_t input(int port) const override { return image_.byte(DioArea::Input, port); }
    void setInput(int port, std::uint8_t value) override { image_.setByte(DioArea::Input, port, value); }
    [[nodiscard]] std::uint8_t output(int port) const override { return image_.byte(DioArea::Output, port); }
    void setOutput(int port, std::uint8_t value) override { image_.setByte(DioArea::Output, port, value); }

private:
    DioImage& image_;
};

} // namespace kestrane
