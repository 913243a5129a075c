#include "tools/common/png_writer.h"

#include <png.h>

#include <cstdio>
#include <cstring>

namespace pngout {

bool writeRgb(const std::string& path, int width, int height, const std::uint8_t* rgb, std::string& error) {
    if (width <= 0 || height <= 0 || !rgb) {
        error = "no picture to write";
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgb, width * 3, nullptr)) {
        error = std::string("cannot write ") + path + ": " + image.message;
        std::remove(path.c_str());
        return false;
    }
    return true;
}

}  // namespace pngout
