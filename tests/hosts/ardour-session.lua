-- One step of a song in Ardour 7 without its window (ardour7-lua, dummy
-- backend), run by ardour-session.sh in a fresh process each:
--
--   create DIR NAME FORMAT KEY VALUES [presets]
--       a new session; the instrument FORMAT (LV2, VST3) whose unique id or
--       name is KEY on a MIDI track, with a region of notes (A4 for a
--       second, C5, then an A minor chord, at 120 BPM); with "presets", each
--       preset loaded in turn and the parameters it gives printed; then every
--       parameter set from the file VALUES (lines "Name value") and the
--       session saved.
--   reopen DIR NAME EXPORT_PRESET
--       the session loaded, its parameters printed, saved again as the
--       snapshot "reopened" (so the plug-in saves its state once more), and
--       its regions exported through the given export preset into DIR/export.
--
-- It prints tab-separated lines for the driver:
--   instrument TYPE NAME ID   found TYPE NAME ID   preset LABEL
--   preset_value LABEL K VALUE   param K NAME VALUE   nparams N   error TEXT   done
-- where K counts the plug-in's parameters from 0 in the host's order and
-- VALUE is printed with %.9g.

io.stdout:setvbuf("line") -- what was printed survives a crash
local function fail(message)
    print("error\t" .. message)
    os.exit(1)
end

local mode, dir, name = arg[1], arg[2], arg[3]
if not (mode and dir and name) then fail("usage: create|reopen DIR NAME ...") end
AudioEngine:set_backend("None (Dummy)", "", "")
if AudioEngine:current_backend_name() ~= "Dummy" then fail("no dummy backend") end

local function instrument()
    for route in Session:get_routes():iter() do
        local track = route:to_track()
        if not track:isnil() and not track:to_midi_track():isnil() and not route:the_instrument():isnil() then
            return track, route:the_instrument()
        end
    end
    fail("no MIDI track with an instrument")
end

-- The plug-in's own input parameters, as { k, control index, name }. DPF's
-- VST3 wrapper adds hidden MIDI controller parameters, which Ardour labels
-- "hidden"; they are left out.
local function parameters(proc)
    local plugin = proc:to_insert():plugin(0)
    local list, control = {}, 0
    while true do
        local index, ok = plugin:nth_parameter(control, true)
        if not ok[2] then break end
        local label = plugin:parameter_label(index)
        if plugin:parameter_is_input(index) and label ~= "hidden" then
            list[#list + 1] = { k = #list, control = control, name = label }
        end
        control = control + 1
    end
    return list
end

-- Returns once the engine has run a few cycles (4096 samples).
local function let_engine_run()
    local start = AudioEngine:processed_samples()
    for _ = 1, 1000 do
        if AudioEngine:processed_samples() >= start + 4096 then return end
        ARDOUR.LuaAPI.usleep(10000)
    end
    fail("the engine does not run")
end

local function value(proc, p)
    return string.format("%.9g", ARDOUR.LuaAPI.get_processor_param(proc, p.control, true))
end

local function print_parameters(proc)
    local list = parameters(proc)
    for _, p in ipairs(list) do print(string.format("param\t%d\t%s\t%s", p.k, p.name, value(proc, p))) end
    print("nparams\t" .. #list)
end

if mode == "create" then
    local format, key, values, with_presets = arg[4], arg[5], arg[6], arg[7] == "presets"
    local rate = 48000
    if not create_session(dir, name, rate) then fail("create_session failed") end

    local found
    for info in ARDOUR.LuaAPI.list_plugins():iter() do
        if info:is_instrument() then
            local type = ARDOUR.PluginType.name(info.type)
            print(string.format("instrument\t%s\t%s\t%s", type, info.name, info.unique_id))
            if type == format and (info.unique_id == key or info.name == key) then found = info end
        end
    end
    if not found then fail("no " .. format .. " instrument " .. key) end
    print(string.format("found\t%s\t%s\t%s", format, found.name, found.unique_id))

    -- Without strict I/O: with it, new_midi_track() aborts in about every
    -- second run of 7.3 ("Port already exists").
    local tracks = Session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1),
        ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), false, found, nil, nil, 1, "Synth",
        ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false)
    if tracks:size() ~= 1 then fail("new_midi_track failed") end
    local track, proc = instrument()
    local plugin = proc:to_insert():plugin(0)

    -- No Lua call makes an empty MIDI region in 7.3; bouncing the empty
    -- track, before its instrument, does.
    local region = track:bounce_range(0, 4 * rate, ARDOUR.InterThreadInfo(), ARDOUR.LuaAPI.nil_proc(), false,
                                      "notes", "notes")
    if region:isnil() or region:to_midiregion():isnil() then fail("no MIDI region") end
    local model = region:to_midiregion():midi_source(0):model()
    local command = model:new_note_diff_command("notes")
    for _, n in ipairs({ { 0, 2, 69 }, { 2, 2, 72 }, { 4, 4, 57 }, { 4, 4, 60 }, { 4, 4, 64 } }) do
        command:add(ARDOUR.LuaAPI.new_noteptr(1, Temporal.Beats(n[1], 0), Temporal.Beats(n[2], 0), n[3], 100))
    end
    model:apply_command(Session, command)
    track:playlist():add_region(region, Temporal.timepos_t(0), 1, false)

    local list = parameters(proc)
    for preset in found:get_presets(false):iter() do
        print("preset\t" .. preset.label)
        if with_presets then
            if not plugin:load_preset(preset) then fail("loading preset " .. preset.label .. " failed") end
            for _, p in ipairs(list) do
                print(string.format("preset_value\t%s\t%d\t%s", preset.label, p.k, value(proc, p)))
            end
        end
    end

    -- A preset load sets the plug-in's values at once. DPF's LV2 wrapper
    -- sees a control port change only against the port's value at its
    -- previous run, so a port set back to that value before the next run
    -- would go unnoticed: let the engine run first, as any user's hand does.
    let_engine_run()
    local by_name = {}
    for _, p in ipairs(list) do by_name[p.name] = p end
    for line in io.lines(values) do
        local pname, v = line:match("^(%S+)%s+(%S+)$")
        if pname then
            local p = by_name[pname] or fail("no parameter " .. pname)
            if not ARDOUR.LuaAPI.set_processor_param(proc, p.control, tonumber(v)) then fail("cannot set " .. pname) end
        end
    end
    -- An LV2 plug-in takes its control ports' values in its next run: let
    -- the engine run before the plug-in is asked for its state.
    let_engine_run()
    print_parameters(proc)
    if Session:save_state("", false, false, false, false, false) ~= 0 then fail("save_state failed") end

elseif mode == "reopen" then
    if not load_session(dir, name) then fail("load_session failed") end
    local track, proc = instrument()
    print_parameters(proc)
    if Session:save_state("reopened", false, false, false, false, false) ~= 0 then fail("save_state failed") end

    -- Regions added from Lua leave the session's range unset: export the
    -- regions' span, and a second for the release.
    local from, to
    for r in track:playlist():region_list():iter() do
        local a, b = r:position():samples(), r:position():samples() + r:length():samples()
        from, to = math.min(from or a, a), math.max(to or b, b)
    end
    local export = Session:simple_export()
    if not export:set_preset(arg[4]) then fail("no export preset " .. arg[4]) end
    export:set_range(from, to + Session:nominal_sample_rate())
    export:set_folder(dir .. "/export")
    if not export:check_outputs() or not export:run_export() then fail("export failed") end
else
    fail("unknown step " .. mode)
end
close_session()
print("done")
