-- The Lua that tidehost runs scripts in is Debian's, with Debian's patches, on both
-- platforms: the Linux build links Debian's library, and the Windows build's Lua is built
-- from Debian's source package with its patches applied. A Lua built from the upstream
-- tarball alone answers these cases otherwise.
local check = dofile(arg[0]:match("^(.-)[^/]*$") .. "check.lua")

-- Debian's fix to how the parser reaches a global through a constant _ENV: without it the
-- compiled code reads past the constant and the chunk "succeeds" with nothing done.
for _, source in ipairs({"local _ENV <const> = 10; x = 1", "local _ENV <const> = 10; return x"}) do
  local chunk, compile_error = load(source)
  check.truthy(chunk, "compiles: " .. source .. (compile_error and (" (" .. compile_error .. ")") or ""))
  if chunk then
    local ok, message = pcall(chunk)
    check.equal(ok, false, "a global through a constant number _ENV is an error: " .. source)
    check.truthy(tostring(message):find("attempt to index a number value", 1, true),
                 "indexing the number, as Debian's Lua says: " .. tostring(message))
  end
end

check.done()
