#include "data_files/output_files.h"

#include <algorithm>
#include <cerrno>

#include "io/display_text.h"
#include "io/files.h"
#include "io/process.h"

namespace vortan {
namespace {

std::string OutputName(const std::string& path) {
  return path == "-" ? std::string("standard output") : DisplayText(path);
}

// Two names of one file that must not be both read and written, or written twice. The null
// device takes any number of outputs; a terminal may be both standard input and output.
bool Clash(const FileIdentity& a, const FileIdentity& b, bool bothWritten) {
  if (!(a == b) || a.nullDevice) return false;
  return bothWritten || !a.characterDevice;
}

}  // namespace

OutputSet::~OutputSet() {
  for (File& f : files_) {
    if (f.owned && f.fd >= 0) {
      ReleaseAhead(f);
      CloseFile(f.fd);
    } else if (f.locked) {
      UnlockWriting(f.fd);
    }
  }
}

// Before a regular file takes size more bytes: disk space reserved ahead of them, in steps as
// large as what the file holds already, from 1 to 16 MiB. The file system then finds blocks
// for the file a few times instead of for every page written (on ext4 a fifth of the time the
// writes take), and what a job stopped by force leaves reserved past the end of a file is
// small. Only the files the job opened itself (standard output may be a file opened for
// appending by the shell). Best effort: a file system that declines is written as it is.
void OutputSet::ReserveAhead(File& f, std::size_t size) {
  if (!f.owned || !f.start || !f.reserves) return;
  const std::uint64_t at = *f.start + f.committed;
  if (at + size <= f.reserved) return;
  const std::uint64_t from = std::max(at, f.reserved);
  const std::uint64_t step = std::clamp<std::uint64_t>(f.committed, 1u << 20, 16u << 20);
  f.reserves = ReserveSpace(f.fd, from, at + size + step - from);
  if (f.reserves) f.reserved = at + size + step;
}

// Gives back what is reserved past the lines written.
void OutputSet::ReleaseAhead(File& f) {
  if (f.start && f.reserved > *f.start + f.committed) {
    ReleaseReserved(f.fd, *f.start + f.committed);
    f.reserved = 0;
  }
}

std::optional<OutputError> OutputSet::Open(const std::vector<std::string>& paths,
                                           const std::vector<ReadFile>& reads) {
  std::vector<OpenedOutput> opened(paths.size());
  std::vector<FileIdentity> identities(paths.size());
  std::vector<char> locked(paths.size(), 0);
  discarded_.clear();
  // Undoes what was done so far: gives up the locks, closes what was opened, removes what was
  // made.
  auto fail = [&](std::size_t output, std::string reason, std::string greek) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
      if (locked[i]) UnlockWriting(opened[i].fd);
      if (opened[i].fd >= 0 && paths[i] != "-") CloseFile(opened[i].fd);
      RemoveCreated(opened[i]);
    }
    return OutputError{output, std::move(reason), std::move(greek)};
  };
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    if (path.empty()) {
      return fail(i, "no file name was given for this output; name a file",
                  "δεν δόθηκε όνομα αρχείου γι' αυτή την έξοδο· δώστε ένα αρχείο");
    }
    if (path == "-") {
      opened[i].fd = kStandardOutput;
    } else {
      // NUL discards what it is given, as /dev/null does: an output may be it.
      if (const std::string device = ReservedDeviceName(path);
          !device.empty() && device != "NUL") {
        return fail(i, ReservedDeviceReason(device), ReservedDeviceReasonGreek(device));
      }
      opened[i] = OpenForWriting(path);
      if (opened[i].fd < 0) {
        const int error = opened[i].error;
        if (const std::string cause = PathProblem(path, error); !cause.empty()) {
          return fail(i, cause, PathProblemGreek(path, error));
        }
        if ((error == EACCES || error == EPERM || error == EROFS) && IdentityOfPath(path)) {
          return fail(i,
                      "cannot be written (" + SystemReason(error) +
                          "): the file exists and may not be changed (read-only, or another "
                          "user's); make it writable or choose another name",
                      "δεν γράφεται (" + SystemReasonGreek(error) +
                          "): το αρχείο υπάρχει και δεν επιτρέπεται να αλλάξει (μόνο για "
                          "ανάγνωση, ή άλλου χρήστη)· κάντε το εγγράψιμο ή διαλέξτε άλλο όνομα");
        }
        return fail(i,
                    "cannot be created (" + SystemReason(error) + ")" +
                        (error == ENOENT
                             ? "; the folder does not exist, create it or choose another"
                             : "; choose another place"),
                    "δεν δημιουργείται (" + SystemReasonGreek(error) + ")" +
                        (error == ENOENT ? "· ο φάκελος δεν υπάρχει, δημιουργήστε τον ή "
                                           "διαλέξτε άλλον"
                                         : "· διαλέξτε άλλη θέση"));
      }
    }
    const std::optional<FileIdentity> id = IdentityOfDescriptor(opened[i].fd);
    if (!id) {
      return path == "-"
                 ? fail(i, "standard output is closed; give an output file instead of -",
                        "η τυπική έξοδος είναι κλειστή· δώστε αρχείο εξόδου αντί για -")
                 : fail(i, "cannot be examined", "δεν εξετάζεται");
    }
    identities[i] = *id;
    discarded_.push_back(id->nullDevice);
    for (const ReadFile& read : reads) {
      if (Clash(*id, read.identity, false)) {
        return fail(i,
                    "this output is " + read.name +
                        (read.read ? ", which the job reads" : ", which is never an output") +
                        "; choose another output name so that it is not overwritten",
                    "αυτή η έξοδος είναι " + read.nameGreek +
                        (read.read ? ", που τη διαβάζει η εργασία"
                                   : ", που δεν είναι ποτέ έξοδος") +
                        "· διαλέξτε άλλο όνομα εξόδου για να μη γραφτεί από πάνω");
      }
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (Clash(*id, identities[j], true)) {
        return fail(i,
                    "this output and " + OutputName(paths[j]) +
                        " are one file, given for two outputs of the job; give each output its "
                        "own file",
                    "αυτή η έξοδος και " +
                        (paths[j] == "-" ? std::string("η τυπική έξοδος") : DisplayText(paths[j])) +
                        " είναι ένα αρχείο, δοσμένο για δύο εξόδους της εργασίας· δώστε σε κάθε "
                        "έξοδο δικό της αρχείο");
      }
    }
    // One writer at a time: a job that writes the file now (in another program, or another
    // job of this one) keeps it, and this job writes nothing. A file system without locks
    // does not stop the job.
    if (id->regular) {
      long holder = 0;
      const WriterLock lock = LockForWriting(opened[i].fd, holder);
      if (lock == WriterLock::kHeld) {
        opened[i].created = false;  // made a moment ago, but the other writer has it now
        const bool here = holder == CurrentProcessId();
        const std::string who = here ? "another job of this program"
                                : holder > 0 ? "another program (process " +
                                                   std::to_string(holder) + ")"
                                             : std::string("another program");
        const std::string whoGreek = here ? "άλλη εργασία αυτού του προγράμματος"
                                     : holder > 0 ? "άλλο πρόγραμμα (διεργασία " +
                                                        std::to_string(holder) + ")"
                                                  : std::string("άλλο πρόγραμμα");
        return fail(i,
                    "is being written by " + who +
                        "; nothing was changed in it. Wait until that job has ended, or choose "
                        "another output name",
                    "γράφεται τώρα από " + whoGreek +
                        "· δεν άλλαξε τίποτα σε αυτό. Περιμένετε να τελειώσει εκείνη η εργασία ή "
                        "διαλέξτε άλλο όνομα εξόδου");
      }
      locked[i] = lock == WriterLock::kTaken;
    }
  }
  // Every output is good: only now are they emptied.
  for (std::size_t i = 0; i < paths.size(); ++i) {
    File f;
    f.path = paths[i];
    f.fd = opened[i].fd;
    f.owned = paths[i] != "-";
    f.locked = locked[i] != 0;
    if (f.owned && identities[i].regular && !Empty(f.fd)) {
      const int error = errno;
      files_.clear();  // fail() closes them
      return fail(i, "cannot be emptied (" + SystemReason(error) + ")",
                  "δεν αδειάζει (" + SystemReasonGreek(error) + ")");
    }
    f.start = WritePosition(f.fd);
    files_.push_back(std::move(f));
  }
  lines_.assign(files_.size(), 0);
  return std::nullopt;
}

bool OutputSet::Append(const std::vector<LineBuffer>& lines) {
  for (std::size_t o = 0; o < files_.size(); ++o) {
    File& f = files_[o];
    std::size_t written = 0;
    ReserveAhead(f, lines[o].size());
    if (WriteAll(f.fd, lines[o].data(), lines[o].size(), written)) continue;
    error_ = errno;
    failed_ = o;
    // Take the batch back from every output that can be cut back; the others keep it, whole
    // where it was written whole.
    for (std::size_t k = 0; k < files_.size(); ++k) {
      File& g = files_[k];
      const bool wroteSome = k < o || (k == o && written > 0);
      if (!wroteSome) continue;
      if (g.start && CutBack(g.fd, *g.start + g.committed)) continue;
      if (k < o) {
        g.committed += lines[k].size();
        lines_[k] += lines[k].lines();
      }
    }
    return false;
  }
  for (std::size_t o = 0; o < files_.size(); ++o) {
    files_[o].committed += lines[o].size();
    lines_[o] += lines[o].lines();
  }
  return true;
}

bool OutputSet::Close() {
  bool ok = true;
  for (std::size_t o = 0; o < files_.size(); ++o) {
    File& f = files_[o];
    if (f.owned && f.fd >= 0) ReleaseAhead(f);
    if (!f.owned && f.locked) UnlockWriting(f.fd);
    f.locked = false;
    if (f.owned && f.fd >= 0 && !CloseFile(f.fd) && ok) {
      ok = false;
      error_ = errno;
      failed_ = o;
    }
    f.fd = -1;
  }
  return ok;
}

}  // namespace vortan
