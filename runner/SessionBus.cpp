#include "runner/SessionBus.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace runner {

namespace {

constexpr uint8_t kMethodCall = 1, kMethodReturn = 2, kError = 3;
constexpr uint8_t kFieldPath = 1, kFieldInterface = 2, kFieldMember = 3, kFieldReplySerial = 5,
                  kFieldDestination = 6, kFieldSignature = 8;
constexpr uint32_t kLargestMessage = 1u << 27;

void Pad(std::string& bytes, size_t alignment) {
    while (bytes.size() % alignment) bytes.push_back('\0');
}

void PutUint32(std::string& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
}

// Where the header fields start; their alignments count from the message's start.
constexpr size_t kFixedHeader = 16;

void PutField(std::string& fields, uint8_t code, char type, const std::string& value) {
    Pad(fields, 8);
    fields.push_back(static_cast<char>(code));
    fields.append({'\1', type, '\0'});
    if (type == 'g') {
        fields.push_back(static_cast<char>(value.size()));
    } else {
        Pad(fields, 4);
        PutUint32(fields, static_cast<uint32_t>(value.size()));
    }
    fields.append(value).push_back('\0');
}

std::string MethodCall(uint32_t serial, const BusCall& call) {
    std::string fields;
    PutField(fields, kFieldPath, 'o', call.path);
    if (!call.interface.empty()) PutField(fields, kFieldInterface, 's', call.interface);
    PutField(fields, kFieldMember, 's', call.member);
    PutField(fields, kFieldDestination, 's', call.destination);
    if (!call.signature.empty()) PutField(fields, kFieldSignature, 'g', call.signature);
    std::string message{'l', static_cast<char>(kMethodCall), '\0', '\1'};
    PutUint32(message, static_cast<uint32_t>(call.arguments.Bytes().size()));
    PutUint32(message, serial);
    PutUint32(message, static_cast<uint32_t>(fields.size()));
    message += fields;
    Pad(message, 8);
    return message + call.arguments.Bytes();
}

class Deadline {
public:
    explicit Deadline(int milliseconds)
        : m_end(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds)) {}
    int Left() const {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_end - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<int64_t>(0, left.count()));
    }

private:
    std::chrono::steady_clock::time_point m_end;
};

bool SendAll(int fd, const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

// Appends what arrives before the deadline; false when nothing more will.
bool Receive(int fd, std::string& into, const Deadline& deadline) {
    pollfd p{fd, POLLIN, 0};
    int ready;
    while ((ready = ::poll(&p, 1, deadline.Left())) < 0 && errno == EINTR) {
    }
    if (ready <= 0) return false;
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) < 0 && errno == EINTR) {
    }
    if (n <= 0) return false;
    into.append(chunk, static_cast<size_t>(n));
    return true;
}

std::string Unescape(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            out.push_back(static_cast<char>(std::strtol(value.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(value[i]);
        }
    }
    return out;
}

// A connected socket to the first of the address's unix transports that answers.
int Connect(const std::string& address) {
    size_t start = 0;
    while (start <= address.size()) {
        const size_t end = std::min(address.find(';', start), address.size());
        const std::string one = address.substr(start, end - start);
        start = end + 1;
        if (one.rfind("unix:", 0) != 0) continue;
        sockaddr_un to{};
        to.sun_family = AF_UNIX;
        socklen_t length = 0;
        size_t key = 5;
        while (key < one.size()) {
            const size_t comma = std::min(one.find(',', key), one.size());
            const std::string pair = one.substr(key, comma - key);
            key = comma + 1;
            const size_t equals = pair.find('=');
            if (equals == std::string::npos) continue;
            const std::string name = pair.substr(0, equals), value = Unescape(pair.substr(equals + 1));
            const bool abstract = name == "abstract";
            if ((name != "path" && !abstract) || value.size() + 1 >= sizeof to.sun_path) continue;
            // An abstract name starts with a zero byte and has no end mark.
            std::memcpy(to.sun_path + (abstract ? 1 : 0), value.data(), value.size());
            length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + value.size() + 1);
        }
        if (length == 0) continue;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&to), length) == 0) return fd;
        if (fd >= 0) ::close(fd);
    }
    return -1;
}

// The EXTERNAL mechanism: the bus knows our user from the socket.
bool Authenticate(int fd, const Deadline& deadline) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string uid;
    for (const char c : std::to_string(::geteuid())) uid += {kHex[(c >> 4) & 15], kHex[c & 15]};
    if (!SendAll(fd, std::string(1, '\0') + "AUTH EXTERNAL " + uid + "\r\n")) return false;
    std::string answer;
    while (answer.find("\r\n") == std::string::npos)
        if (!Receive(fd, answer, deadline) || answer.size() > 4096) return false;
    return answer.rfind("OK ", 0) == 0 && SendAll(fd, "BEGIN\r\n");
}

// One whole message at the front of `bytes`: its length, type and the serial
// it replies to (0 for none); nullopt while more is to come, or for nonsense.
struct Incoming {
    size_t length;
    uint8_t type;
    uint32_t replySerial;
};
std::optional<Incoming> NextMessage(const std::string& bytes, bool& damaged) {
    damaged = false;
    if (bytes.size() < kFixedHeader) return std::nullopt;
    const bool little = bytes[0] == 'l';
    if (!little && bytes[0] != 'B') {
        damaged = true;
        return std::nullopt;
    }
    auto get32 = [&](size_t at) {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const auto byte = static_cast<uint8_t>(bytes[at + static_cast<size_t>(little ? i : 3 - i)]);
            v |= static_cast<uint32_t>(byte) << (8 * i);
        }
        return v;
    };
    const uint32_t bodyLength = get32(4), fieldsLength = get32(12);
    if (bodyLength > kLargestMessage || fieldsLength > kLargestMessage) {
        damaged = true;
        return std::nullopt;
    }
    const size_t fieldsEnd = kFixedHeader + fieldsLength;
    const size_t length = (fieldsEnd + 7) / 8 * 8 + bodyLength;
    if (bytes.size() < length) return std::nullopt;
    Incoming message{length, static_cast<uint8_t>(bytes[1]), 0};
    for (size_t at = kFixedHeader; at < fieldsEnd;) {
        at = (at + 7) / 8 * 8;
        if (at + 3 > fieldsEnd) break;
        const auto code = static_cast<uint8_t>(bytes[at]);
        const size_t signatureLength = static_cast<uint8_t>(bytes[at + 1]);
        const char type = signatureLength == 1 ? bytes[at + 2] : '\0';
        at += 3 + signatureLength;
        if (type == 'u' || type == 'i') {
            at = (at + 3) / 4 * 4;
            if (at + 4 > fieldsEnd) break;
            if (code == kFieldReplySerial) message.replySerial = get32(at);
            at += 4;
        } else if (type == 's' || type == 'o') {
            at = (at + 3) / 4 * 4;
            if (at + 4 > fieldsEnd) break;
            at += 4 + get32(at) + 1;
        } else if (type == 'g') {
            if (at >= fieldsEnd) break;
            at += 1 + static_cast<uint8_t>(bytes[at]) + 1;
        } else {
            break;  // no field of ours has another type
        }
    }
    return message;
}

}  // namespace

BusArguments& BusArguments::String(const std::string& value) {
    Pad(m_bytes, 4);
    PutUint32(m_bytes, static_cast<uint32_t>(value.size()));
    m_bytes.append(value).push_back('\0');
    return *this;
}

BusArguments& BusArguments::Uint32(uint32_t value) {
    Pad(m_bytes, 4);
    PutUint32(m_bytes, value);
    return *this;
}

BusArguments& BusArguments::Int32(int32_t value) { return Uint32(static_cast<uint32_t>(value)); }

BusArguments& BusArguments::EmptyArray(size_t alignment) {
    Uint32(0);
    // The padding to the first element is there even when there is none.
    Pad(m_bytes, alignment);
    return *this;
}

std::string SessionBusAddress() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return address;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return {};
    const std::string bus = std::string(runtime) + "/bus";
    struct stat st {};
    return ::stat(bus.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) ? "unix:path=" + bus : std::string();
}

bool CallOnBus(const std::string& address, const BusCall& call, int milliseconds) {
    const Deadline deadline(milliseconds);
    const int fd = Connect(address);
    if (fd < 0) return false;
    // The bus wants Hello first; the call is the second message.
    const BusCall hello{"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "Hello", "", {}};
    bool replied = false;
    if (Authenticate(fd, deadline) && SendAll(fd, MethodCall(1, hello) + MethodCall(2, call))) {
        std::string received;
        for (bool answered = false; !answered;) {
            bool damaged = false;
            const std::optional<Incoming> message = NextMessage(received, damaged);
            if (damaged) break;
            if (!message) {
                if (!Receive(fd, received, deadline)) break;
                continue;
            }
            if ((message->type == kMethodReturn || message->type == kError) && message->replySerial == 2) {
                replied = message->type == kMethodReturn;
                answered = true;
            }
            received.erase(0, message->length);
        }
    }
    ::close(fd);
    return replied;
}

}  // namespace runner
