// The medium's setup: a static program, so that it starts on any Linux
// desktop whatever its libraries (and a double click in a file manager runs
// it, where a script would open in a text editor). It starts the wizard of
// assistant/ beside it, with every argument unchanged: with the machine's C
// and C++ runtime when the wizard loads with them, else through the loader
// of the runtime the medium carries (assistant/runtime/), for a machine whose
// C library or libstdc++ is older than the build machine's.
//
// Only the C library is used: no C++ runtime to link in statically.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

[[noreturn]] void impossible(const char* programme)
{
    std::fprintf(stderr, "setup : impossible de démarrer %s (%s)\n", programme, std::strerror(errno));
    std::exit(127);
}

// Whether the wizard loads with the machine's runtime: it returns at once
// when ASSISTANT_SONDE is set, and the machine's loader stops it before that
// when a library or a version of one is missing.
bool chargeSeul(const char* assistant)
{
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        const int nul = ::open("/dev/null", O_WRONLY);
        if (nul >= 0) {
            ::dup2(nul, 1);
            ::dup2(nul, 2);
        }
        ::setenv("ASSISTANT_SONDE", "1", 1);
        char* const arguments[] = {const_cast<char*>(assistant), nullptr};
        ::execv(assistant, arguments);
        ::_exit(127);
    }
    int statut = 0;
    while (::waitpid(pid, &statut, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(statut) && WEXITSTATUS(statut) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // The medium's folder: everything is found from there, wherever it was
    // copied or mounted.
    char racine[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", racine, sizeof racine - 1);
    if (n <= 0) impossible("/proc/self/exe");
    racine[n] = '\0';
    char* barre = std::strrchr(racine, '/');
    barre[barre == racine ? 1 : 0] = '\0';  // a medium at / keeps its slash
    const char* prefixe = barre == racine ? "" : racine;

    char assistant[PATH_MAX + 64], runtime[PATH_MAX + 64], chargeur[PATH_MAX + 96];
    std::snprintf(assistant, sizeof assistant, "%s/assistant/setup", prefixe);
    std::snprintf(runtime, sizeof runtime, "%s/assistant/runtime", prefixe);
    std::snprintf(chargeur, sizeof chargeur, "%s/ld-linux-x86-64.so.2", runtime);

    // ASSISTANT_EXECUTION=support or =machine chooses without trying: the
    // tests run both ways on one machine.
    const char* choix = std::getenv("ASSISTANT_EXECUTION");
    const bool emporte = choix && !std::strcmp(choix, "support")   ? true
                         : choix && !std::strcmp(choix, "machine") ? false
                                                                   : !chargeSeul(assistant);

    // Started through the carried loader, the wizard's /proc/self/exe is the
    // loader: it learns its medium's folder from here.
    ::setenv("ASSISTANT_RACINE", racine, 1);

    // loader --library-path RUNTIME --argv0 ARGV0 WIZARD ARGUMENTS..., or
    // WIZARD with ARGV0 and the arguments.
    char** arguments = static_cast<char**>(std::calloc(argc + 7, sizeof(char*)));
    if (!arguments) impossible(assistant);
    char* argv0 = argc > 0 ? argv[0] : assistant;
    int k = 0;
    if (emporte) {
        arguments[k++] = chargeur;
        arguments[k++] = const_cast<char*>("--library-path");
        arguments[k++] = runtime;
        arguments[k++] = const_cast<char*>("--argv0");
        arguments[k++] = argv0;
        arguments[k++] = assistant;
    } else {
        arguments[k++] = argv0;
    }
    for (int i = 1; i < argc; ++i) arguments[k++] = argv[i];
    ::execv(emporte ? chargeur : assistant, arguments);
    impossible(emporte ? chargeur : assistant);
}
