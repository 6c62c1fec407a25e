#!/usr/bin/env python3
"""Signs packages and binaries through the packaging scripts with a throwaway self-signed
certificate, verifies the signatures, checks the refusals, and installs a signed package.

usage: signing.py WINE_RUN BUILD_DIR LOADER X86_BIN_DIR X64_PELLICOR_DLL INSTALLER_DIR
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from checks import Checks  # noqa: E402
from wine_prefix import WinePrefix  # noqa: E402

SIGN_VARIABLES = ("TOLMERA_SIGN_CERT", "TOLMERA_SIGN_KEY", "TOLMERA_SIGN_KEY_PASSWORD")
PASSWORD = "correct horse"


def run(*args, env=None, stdin=None):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True, errors="replace",
                          env=env, input=stdin)


def environment(**signing):
    """This process's environment without any signing identity of the developer's, plus `signing`."""
    env = {k: v for k, v in os.environ.items() if k not in SIGN_VARIABLES}
    env.update({k: str(v) for k, v in signing.items()})
    return env


def make_identity(folder, name):
    """A self-signed code-signing certificate and its key, PEM and DER, plus an encrypted key."""
    cert, key = folder / f"{name}.crt.pem", folder / f"{name}.key.pem"
    made = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
               "-subj", f"/CN={name}", "-addext", "extendedKeyUsage=codeSigning",
               "-keyout", key, "-out", cert)
    if made.returncode != 0:
        raise RuntimeError(f"openssl req: {made.stderr}")
    run("openssl", "x509", "-in", cert, "-outform", "DER", "-out", folder / f"{name}.crt.der")
    run("openssl", "pkey", "-in", key, "-outform", "DER", "-out", folder / f"{name}.key.der")
    run("openssl", "pkey", "-in", key, "-aes256", "-passout", f"pass:{PASSWORD}",
        "-out", folder / f"{name}.key.enc.pem")
    return {
        "cert": cert, "key": key,
        "cert_der": folder / f"{name}.crt.der", "key_der": folder / f"{name}.key.der",
        "key_encrypted": folder / f"{name}.key.enc.pem",
    }


def fingerprint(cert_pem_text):
    out = run("openssl", "x509", "-noout", "-fingerprint", "-sha256", stdin=cert_pem_text).stdout
    return out.strip().partition("=")[2]


def signer_fingerprints(path, folder):
    """SHA-256 fingerprints of the certificates in the file's Authenticode signature."""
    signature = folder / (path.name + ".p7")
    signature.unlink(missing_ok=True)  # osslsigncode will not overwrite
    if run("osslsigncode", "extract-signature", "-in", path, "-out", signature).returncode != 0:
        return []
    pem = run("openssl", "pkcs7", "-inform", "DER", "-in", signature, "-print_certs").stdout
    return [fingerprint(block) for block in
            re.findall(r"-----BEGIN CERTIFICATE-----.*?-----END CERTIFICATE-----", pem, re.S)]


def check_signed(t, path, identity, other, folder):
    """The file carries a valid SHA-256 signature made with `identity`'s certificate."""
    verified = run("osslsigncode", "verify", "-CAfile", identity["cert"], "-in", path)
    t.check(f"{path.name}: signature verifies against the throwaway certificate",
            verified.returncode == 0, verified.stdout[-400:] + verified.stderr[-400:])
    t.check(f"{path.name}: digest is SHA-256",
            re.search(r"Message digest algorithm\s*:\s*SHA256", verified.stdout) is not None)
    own, signers = fingerprint(identity["cert"].read_text()), signer_fingerprints(path, folder)
    t.check(f"{path.name}: signer certificate is the throwaway one",
            signers == [own] and own != "", f"signers {signers}, ours {own}")
    stranger = run("osslsigncode", "verify", "-CAfile", other["cert"], "-in", path)
    t.check(f"{path.name}: does not verify against an unrelated certificate", stranger.returncode != 0)


def check_refused(t, what, result, out, message):
    t.check(f"{what}: refused", result.returncode != 0, f"exit {result.returncode}")
    t.check(f"{what}: says why", message in result.stderr, f"stderr: {result.stderr.strip()}")
    t.check(f"{what}: leaves no output file", not out.exists())


def main():
    runner, build_dir, loader, x86_bin, x64_pellicor, installer_dir = sys.argv[1:7]
    x86_bin, x64_pellicor, installer_dir = pathlib.Path(x86_bin), pathlib.Path(x64_pellicor), pathlib.Path(installer_dir)
    sign, package = installer_dir / "sign.sh", installer_dir / "package.sh"
    t = Checks()
    missing = [str(p) for p in (x86_bin / "Pellicor.dll", x86_bin / "Kestrane.exe", x64_pellicor)
               if not p.is_file()]
    if missing:
        t.abort(f"binaries missing ({', '.join(missing)}): build the x86 tree first, then this tree")
    for tool in ("osslsigncode", "openssl", "wixl"):
        if shutil.which(tool) is None:
            t.abort(f"{tool} is not installed")

    with tempfile.TemporaryDirectory(prefix="tolmera-signing-") as scratch:
        folder = pathlib.Path(scratch)
        t.step("throwaway certificates")
        ours, other = make_identity(folder, "Tolmera Throwaway Signer"), make_identity(folder, "Someone Else")

        # Whole packages through the same script the build runs, one per certificate form.
        builds = [
            ("x64", "PEM certificate and key",
             {"TOLMERA_SIGN_CERT": ours["cert"], "TOLMERA_SIGN_KEY": ours["key"]},
             ["x64/Pellicor.dll", "x86/Pellicor.dll", "x86/Kestrane.exe"]),
            ("x86", "DER certificate and key",
             {"TOLMERA_SIGN_CERT": ours["cert_der"], "TOLMERA_SIGN_KEY": ours["key_der"]},
             ["x86/Pellicor.dll", "x86/Kestrane.exe"]),
            ("x64", "password-protected key",
             {"TOLMERA_SIGN_CERT": ours["cert"], "TOLMERA_SIGN_KEY": ours["key_encrypted"],
              "TOLMERA_SIGN_KEY_PASSWORD": PASSWORD},
             ["x64/Pellicor.dll"]),
        ]
        signed_x64 = None
        for number, (platform, form, env, binaries) in enumerate(builds):
            t.step(f"signed Tolmera-{platform}.msi, {form}")
            stage, msi = folder / f"stage{number}", folder / f"out{number}" / f"Tolmera-{platform}.msi"
            extra = [x64_pellicor] if platform == "x64" else []
            made = run(package, platform, "1.0.0", stage, msi, x86_bin, *extra, env=environment(**env))
            if not t.check(f"package.sh {platform} exits 0", made.returncode == 0 and msi.is_file(),
                           made.stderr.strip()):
                continue
            for binary in binaries:
                check_signed(t, stage / binary, ours, other, folder)
            check_signed(t, msi, ours, other, folder)
            if platform == "x64" and signed_x64 is None:
                signed_x64 = (msi, stage)

        t.step("a signed file that is changed afterwards no longer verifies")
        tampered = folder / "tampered.dll"
        good = run(sign, x64_pellicor, tampered, env=environment(
            TOLMERA_SIGN_CERT=ours["cert"], TOLMERA_SIGN_KEY=ours["key"]))
        data = bytearray(tampered.read_bytes()) if good.returncode == 0 else bytearray()
        if t.check("sign.sh signs the x64 Pellicor.dll", good.returncode == 0 and data, good.stderr.strip()):
            data[0x400] ^= 0xFF  # inside the first section, far from the signature at the end
            tampered.write_bytes(bytes(data))
            verified = run("osslsigncode", "verify", "-CAfile", ours["cert"], "-in", tampered)
            t.check("tampered Pellicor.dll fails verification", verified.returncode != 0)

        t.step("no identity: an exact copy, unsigned")
        copy = folder / "unsigned.dll"
        plain = run(sign, x64_pellicor, copy, env=environment())
        t.check("sign.sh without identity exits 0", plain.returncode == 0, plain.stderr.strip())
        t.check("the copy is byte for byte the input",
                copy.is_file() and copy.read_bytes() == x64_pellicor.read_bytes())
        t.check("the copy carries no signature", signer_fingerprints(copy, folder) == [])

        t.step("refusals: a half or wrong identity never yields an unsigned or broken file")
        refusals = [
            ("certificate without key", {"TOLMERA_SIGN_CERT": ours["cert"]}, "TOLMERA_SIGN_KEY is not"),
            ("key without certificate", {"TOLMERA_SIGN_KEY": ours["key"]}, "TOLMERA_SIGN_CERT is not"),
            ("wrong key password", {"TOLMERA_SIGN_CERT": ours["cert"], "TOLMERA_SIGN_KEY": ours["key_encrypted"],
                                    "TOLMERA_SIGN_KEY_PASSWORD": "wrong"}, "cannot read the private key"),
            ("encrypted key, no password", {"TOLMERA_SIGN_CERT": ours["cert"],
                                            "TOLMERA_SIGN_KEY": ours["key_encrypted"]}, "cannot read the private key"),
            ("key of another certificate", {"TOLMERA_SIGN_CERT": ours["cert"], "TOLMERA_SIGN_KEY": other["key"]},
             "does not belong to the certificate"),
            ("key file given as certificate", {"TOLMERA_SIGN_CERT": ours["key"], "TOLMERA_SIGN_KEY": ours["key"]},
             "is not a PEM or DER certificate"),
            ("certificate file missing", {"TOLMERA_SIGN_CERT": folder / "absent.pem", "TOLMERA_SIGN_KEY": ours["key"]},
             "cannot be read"),
        ]
        for number, (what, env, message) in enumerate(refusals):
            out = folder / f"refused{number}.dll"
            check_refused(t, what, run(sign, x64_pellicor, out, env=environment(**env)), out, message)
        out = folder / "refused-package.msi"
        made = run(package, "x86", "1.0.0", folder / "refused-stage", out, x86_bin,
                   env=environment(TOLMERA_SIGN_CERT=ours["cert"]))
        check_refused(t, "package.sh with half an identity", made, out, "TOLMERA_SIGN_KEY is not")

        t.step("the build re-signs when the identity changes")
        stamp = folder / "identity.txt"
        texts = []
        for number, env in enumerate(({}, {}, {"TOLMERA_SIGN_CERT": ours["cert"], "TOLMERA_SIGN_KEY": ours["key"]},
                                      {"TOLMERA_SIGN_CERT": other["cert"], "TOLMERA_SIGN_KEY": other["key"]})):
            if number == 1:
                os.utime(stamp, ns=(10**18, 10**18))  # a mark that only a rewrite would clear
            result = run(sign, "--identity", stamp, env=environment(**env))
            texts.append(stamp.read_text() if result.returncode == 0 and stamp.exists() else None)
            if number == 1:
                t.check("same identity again: stamp left untouched", stamp.stat().st_mtime_ns == 10**18)
        t.check("identity stamp written every time", all(texts), str(texts))
        t.check("unsigned, then a certificate, then another: three different stamps",
                texts[0] == texts[1] and len({texts[1], texts[2], texts[3]}) == 3, str(texts))

        if signed_x64 is None:
            t.check("a signed x64 package to install", False, "none was built")
            return t.finish()
        msi, stage = signed_x64
        wine = WinePrefix(runner, build_dir, loader)
        installed = wine.linux_path("C:\\Program Files\\Tolmera\\Pellicor.dll")
        t.step("the signed Tolmera-x64.msi installs and uninstalls under msiexec /qn")
        if not t.check("no Tolmera installed yet", not installed.exists() and not
                       wine.linux_path("C:\\Program Files (x86)\\Tolmera").exists()):
            return t.finish()
        result = wine.msiexec("/i", msi)
        t.check("msiexec /i exits 0", result.returncode == 0, f"exit {result.returncode}")
        t.check("the installed x64 Pellicor.dll is the signed one",
                installed.is_file() and installed.read_bytes() == (stage / "x64" / "Pellicor.dll").read_bytes())
        result = wine.msiexec("/x", msi)
        t.check("msiexec /x exits 0", result.returncode == 0, f"exit {result.returncode}")
        t.check("files removed", not installed.exists()
                and not wine.linux_path("C:\\Program Files (x86)\\Tolmera").exists())
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
