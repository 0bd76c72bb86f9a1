// placeholder so the library has a source until real code lands
