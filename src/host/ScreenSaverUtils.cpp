#include "host/ScreenSaverUtils.h"

#include "platform/Registry.h"
#include "util/Exception.h"

#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

bool ScreenSaveUsePassword()
{
    try {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CURRENT_USER);
        return reg.OpenKeyReadOnly("\\Control Panel\\desktop") && reg.ReadBool("ScreenSaveUsePassword");
    } catch (const ERegistryException&) {
        return false;
    }
}

namespace {

// PAM falls back to its "other" service, which refuses everyone, when a service has no file;
// that would look like a wrong password, so the file is looked for first.
bool ServiceConfigured(const std::string& service)
{
    for (const char* folder : {"/etc/pam.d/", "/usr/lib/pam.d/", "/lib/pam.d/"})
        if (std::filesystem::exists(std::string(folder) + service))
            return true;
    return false;
}

// Answers every hidden prompt with the password; PAM frees the replies.
int Converse(int count, const pam_message** messages, pam_response** responses, void* data)
{
    const std::string& password = *static_cast<const std::string*>(data);
    auto* replies = static_cast<pam_response*>(std::calloc(size_t(count), sizeof(pam_response)));
    if (!replies)
        return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i)
        if (messages[i]->msg_style == PAM_PROMPT_ECHO_OFF || messages[i]->msg_style == PAM_PROMPT_ECHO_ON)
            replies[i].resp = ::strdup(password.c_str());
    *responses = replies;
    return PAM_SUCCESS;
}

std::string CurrentUserName()
{
    if (const passwd* entry = ::getpwuid(::getuid()))
        return entry->pw_name;
    throw Exception("VerifyPassword : The current user has no account entry");
}

} // namespace

bool LoginPasswordValid(const std::string& password, const std::string& service)
{
    if (!ServiceConfigured(service))
        throw Exception("VerifyPassword : The password service \"" + service +
                        "\" is not set up; copy etc/pam.d/" + kPasswordService + " of the installation to /etc/pam.d/" +
                        service);
    const std::string user = CurrentUserName();
    pam_conv conversation{&Converse, const_cast<std::string*>(&password)};
    pam_handle_t* handle = nullptr;
    const int started = pam_start(service.c_str(), user.c_str(), &conversation, &handle);
    if (started != PAM_SUCCESS)
        throw Exception("VerifyPassword : The password service could not be started (" +
                        std::string(pam_strerror(handle, started)) + ")");
    const int result = pam_authenticate(handle, PAM_DISALLOW_NULL_AUTHTOK);
    pam_end(handle, result);
    return result == PAM_SUCCESS;
}
