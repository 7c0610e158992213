// The update server's reply, as the fuzzer makes it, through the real update client and
// the profile it keeps its settings in.
//
// Input: a byte for the size of the pieces the reply arrives in, then the reply.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "properties.h"
#include "replay.h"
#include "settings/profile.h"
#include "update/auto_update_client.h"

namespace {

const char kPath[] = "/tarnwick/autoupdate.dat";

void UseFreshProfile() {
    const std::filesystem::path file = fuzz::WorkFolder() / "tarnwick.ini";
    std::filesystem::remove(file);
    Profile::UseFile(file.string());
    CAutoUpdateClient("updates.example.org", kPath, kProgramVersion, 3).Save();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::string reply(reinterpret_cast<const char*>(data) + 1, size - 1);
    UseFreshProfile();
    replay::Serve(reply, data[0] % 2 == 0 ? 4096 : 1 + data[0] % 64);

    const CAutoUpdateClient client(1);
    fuzz::Require(replay::Sent() == "GET " + std::string(kPath) + "\n",
                  "one request of the stored path", replay::Sent());
    const std::string url = client.GetDownloadURL();
    // Only one read of at most 255 bytes is looked at, up to a NUL.
    const std::string seen = reply.substr(0, 255).c_str();
    fuzz::Require(seen.find("version=") != std::string::npos || !client.IsNewVersion(),
                  "no newer version without a version line", reply);
    fuzz::Require(url.empty() || CAutoUpdateClient::IsAcceptableDownloadURL(url),
                  "only an acceptable address is kept", url);
    fuzz::Require(url.empty() || seen.find("url=" + url) != std::string::npos,
                  "the address is one the reply named", reply);
    const Profile& profile = Profile::Application();
    fuzz::Require(profile.GetString("AutoUpdate", "DownloadURL") == url,
                  "the stored address is the one found", url);
    const int activation = profile.GetInt("AutoUpdate", "Activation", -1);
    fuzz::Require(activation == 0 || activation == 1, "a forced check counts one chance or none",
                  reply);
    return 0;
}
