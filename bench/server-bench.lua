-- wrk script for bench/server-bench: POSTs one CIM-XML request to /cimom,
-- again and again. Arguments after wrk's "--": the request body's file, the
-- CIM method, and optionally how many responses each thread waits for before
-- it stops (wrk's -d still bounds the run).
local text, limit
local responses = 0

function init(args)
  local file = assert(io.open(args[1], "rb"))
  local body = file:read("*a")
  file:close()
  text = wrk.format("POST", "/cimom", {
    ["Content-Type"] = 'application/xml; charset="utf-8"',
    ["CIMOperation"] = "MethodCall",
    ["CIMMethod"] = args[2],
    ["CIMObject"] = "root/ornsg",
  }, body)
  limit = tonumber(args[3])
  -- Only with a limit: wrk reads the answers' bodies when response exists.
  if limit then
    response = function()
      responses = responses + 1
      if responses >= limit then
        wrk.thread:stop()
      end
    end
  end
end

function request()
  return text
end
