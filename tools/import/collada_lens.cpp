#include "tools/import/collada_lens.h"

#include <cstdlib>

namespace import {

namespace {

// The value of attribute `name` in the tag that starts at `tag`, or "".
std::string Attribute(const std::string& text, size_t tag, const std::string& name)
{
    const size_t end = text.find('>', tag);
    if (end == std::string::npos) {
        return "";
    }
    for (const char quote : {'"', '\''}) {
        const std::string key = " " + name + "=" + quote;
        const size_t at = text.find(key, tag);
        if (at != std::string::npos && at < end) {
            const size_t start = at + key.size();
            const size_t close = text.find(quote, start);
            if (close != std::string::npos && close < end) {
                return text.substr(start, close - start);
            }
        }
    }
    return "";
}

// The number inside the first element `name` between `from` and `to`, or 0.
float Element(const std::string& text, size_t from, size_t to, const std::string& name)
{
    const size_t open = text.find("<" + name, from);
    if (open == std::string::npos || open >= to) {
        return 0.0f;
    }
    const size_t start = text.find('>', open);
    if (start == std::string::npos || start >= to) {
        return 0.0f;
    }
    const float value = std::strtof(text.c_str() + start + 1, nullptr);
    return value > 0.0f ? value : 0.0f;
}

} // namespace

bool FindColladaLens(const std::string& text, const std::string& nodeName, ColladaLens* lens)
{
    for (size_t node = text.find("<node"); node != std::string::npos; node = text.find("<node", node + 5)) {
        if (Attribute(text, node, "name") != nodeName && Attribute(text, node, "id") != nodeName) {
            continue;
        }
        // The node's own camera comes before any child node or its end.
        const size_t instance = text.find("<instance_camera", node);
        const size_t next = std::min(text.find("<node", node + 5), text.find("</node", node));
        if (instance == std::string::npos || instance > next) {
            return false;
        }
        const std::string url = Attribute(text, instance, "url");
        if (url.size() < 2 || url[0] != '#') {
            return false;
        }
        for (size_t camera = text.find("<camera"); camera != std::string::npos;
             camera = text.find("<camera", camera + 7)) {
            if (Attribute(text, camera, "id") != url.substr(1)) {
                continue;
            }
            const size_t end = text.find("</camera", camera);
            const size_t perspective = text.find("<perspective", camera);
            if (end == std::string::npos || perspective == std::string::npos || perspective > end) {
                return false;
            }
            lens->xfov = Element(text, perspective, end, "xfov");
            lens->yfov = Element(text, perspective, end, "yfov");
            lens->aspect = Element(text, perspective, end, "aspect_ratio");
            return lens->xfov > 0.0f || lens->yfov > 0.0f;
        }
        return false;
    }
    return false;
}

} // namespace import
