# tarn_embed_bitmaps(TARGET NAME FILE [NAME FILE ...])
# Embeds bitmap files into an executable as RT_BITMAP resources under the given names, so that
# FindResourceA/LoadResource/LoadImageA find them as they would in a Windows executable.
function(tarn_embed_bitmaps target)
    # Filled in by the platform's resource support.
endfunction()
