/* Section layout of Keyscry.exe and Keyscry64.exe, in the linker's own output
   format for each architecture. The executable has no runtime, no TLS, no
   exports and no exception tables, so it needs five sections only. Every
   section is padded to the file alignment, so each one fewer is up to 511
   bytes less:
     .text   code and read-only constants together
     .data   AppState and any other writable data; zero-filled data takes no
             room in the file
     .idata  the imports (the linker finds the import directory by this name)
     .rsrc   icon, manifest and version block (found by this name too)
     .reloc  the addresses the loader adjusts when it places the executable
             away from its preferred base (the linker fills it) */
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .text __image_base__ + __section_alignment__ :
  {
    *(.text) *(SORT(.text$*)) *(.text.*)
    *(.rdata) *(SORT(.rdata$*))
  }
  .data BLOCK(__section_alignment__) :
  {
    *(.data) *(.data2) *(SORT(.data$*))
    *(.bss) *(COMMON)
  }
  .idata BLOCK(__section_alignment__) :
  {
    KEEP (SORT(*)(.idata$2))
    KEEP (SORT(*)(.idata$3))
    /* The zero entry that ends the import directory. */
    LONG (0); LONG (0); LONG (0); LONG (0); LONG (0);
    KEEP (SORT(*)(.idata$4))
    __IAT_start__ = .;
    KEEP (SORT(*)(.idata$5))
    __IAT_end__ = .;
    KEEP (SORT(*)(.idata$6))
    KEEP (SORT(*)(.idata$7))
  }
  .rsrc BLOCK(__section_alignment__) : SUBALIGN(4)
  {
    KEEP (*(.rsrc))
    KEEP (*(.rsrc$*))
  }
  .reloc BLOCK(__section_alignment__) :
  {
    *(.reloc)
  }
  /DISCARD/ :
  {
    *(.drectve) *(.note.GNU-stack) *(.gnu.lto_*) *(.debug$*)
  }
}
