#pragma once

#include "comm/xml/upload_parameters.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::comm::xml {

// The fixed boundary between the parts of the upload form.
inline constexpr std::string_view kMultipartBoundary = "xyw------2718281831415926------wyx";

// The upload form around the package: the body is prefix + package bytes + suffix.
struct MultipartForm {
    std::string prefix;
    std::string suffix;

    std::size_t bodyLength(std::size_t packageSize) const {
        return prefix.size() + packageSize + suffix.size();
    }
};

// The parts USR and PWD (only when the receiving program asks for them), MAIL, then the
// head of DOC with the package's name; the suffix closes the form.
MultipartForm buildMultipartForm(const UploadParameters& parameters, std::string_view packageName);

// The header block as it goes on the wire, in its four writes: the request line with the fixed
// headers; the Authorization line (empty without basic authentication); the content type; the
// content length with the blank line that ends the block.
std::vector<std::string> requestHeaderWrites(const UploadParameters& parameters,
                                             std::size_t contentLength);

// Standard Base64 with "=" padding.
std::string base64(std::string_view bytes);

} // namespace tramela::comm::xml
